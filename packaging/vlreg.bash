# bash completion for vlreg: its options, its commands, and the products and entries that the
# registry holds (read with vlreg itself).
_vlreg() {
    local cur=${COMP_WORDS[COMP_CWORD]} word command='' ended='' line candidates=''
    local -a system=() args=()
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $ended && $word == -- ]]; then
            ended=1
        elif [[ -z $ended && $word == --system ]]; then
            system=(--system)
        elif [[ -z $ended && $word == -* ]]; then
            :
        elif [[ -z $command ]]; then
            command=$word
        else
            args+=("$word")
        fi
    done
    COMPREPLY=()
    if [[ -z $ended && $cur == -* ]]; then
        candidates=$'--system\n--show-origin\n--help\n--version\n--'
    elif [[ -z $command ]]; then
        candidates=$'add\nset\nget\nlist\nremove'
    elif [[ $command =~ ^(set|get|list|remove)$ && ${#args[@]} -eq 0 ]]; then
        candidates=$("$1" "${system[@]}" list 2>/dev/null)
    elif [[ $command =~ ^(set|get|remove)$ && ${#args[@]} -eq 1 ]]; then
        while IFS= read -r line; do
            candidates+=${line%%=*}$'\n'
        done < <("$1" "${system[@]}" list "${args[0]}" 2>/dev/null)
    fi
    # Matched here rather than by compgen -W, which would expand what the registry holds.
    while IFS= read -r line; do
        [[ -n $line && $line == "$cur"* ]] && COMPREPLY+=("$line")
    done <<<"$candidates"
}
complete -F _vlreg vlreg
