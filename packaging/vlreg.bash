# bash completion for vlreg: its options, its commands, and the products and entries that the
# registry holds (read with vlreg itself), quoted for the command line.

# The word as the command will receive it: quotes and backslashes taken away, nothing expanded
# (never eval: the registry's names are data). Sets REPLY.
_vlreg_unquote() {
    local word=$1 quote='' c i
    REPLY=''
    for ((i = 0; i < ${#word}; i++)); do
        c=${word:i:1}
        if [[ $quote == "'" ]]; then
            [[ $c == "'" ]] && quote='' || REPLY+=$c
        elif [[ $c == '\' && ( -z $quote || ${word:i+1:1} == [\"\\\$\`] ) ]]; then
            REPLY+=${word:i+1:1}
            ((i++))
        elif [[ $c == '"' || ( -z $quote && $c == "'" ) ]]; then
            [[ -z $quote ]] && quote=$c || quote=''
        else
            REPLY+=$c
        fi
    done
}

_vlreg() {
    local cur command='' ended='' line candidates='' REPLY
    local -a system=() args=()
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        _vlreg_unquote "${COMP_WORDS[i]}"
        if [[ -z $ended && $REPLY == -- ]]; then
            ended=1
        elif [[ -z $ended && $REPLY == --system ]]; then
            system=(--system)
        elif [[ -z $ended && $REPLY == -* ]]; then
            :
        elif [[ -z $command ]]; then
            command=$REPLY
        else
            args+=("$REPLY")
        fi
    done
    _vlreg_unquote "${COMP_WORDS[COMP_CWORD]}"
    cur=$REPLY
    COMPREPLY=()
    if [[ -z $ended && $cur == -* ]]; then
        candidates=$'--system\n--show-origin\n--help\n--version\n--'
    elif [[ -z $command ]]; then
        candidates=$'add\nset\nget\nlist\nremove'
    elif [[ $command =~ ^(set|get|list|remove)$ && ${#args[@]} -eq 0 ]]; then
        candidates=$("$1" "${system[@]}" list 2>/dev/null)
    elif [[ $command =~ ^(set|get|remove)$ && ${#args[@]} -eq 1 ]]; then
        # After "--", since a product's name may begin with "-".
        while IFS= read -r line; do
            candidates+=${line%%=*}$'\n'
        done < <("$1" "${system[@]}" list -- "${args[0]}" 2>/dev/null)
    fi
    # Matched here rather than by compgen -W, which would expand what the registry holds. A name
    # that begins with "-" is offered only after "--", where it cannot be taken for an option.
    while IFS= read -r line; do
        [[ -n $line && $line == "$cur"* ]] || continue
        [[ -z $ended && $line == -* && $cur != -* ]] && continue
        printf -v line %q "$line"
        COMPREPLY+=("$line")
    done <<<"$candidates"
}
complete -F _vlreg vlreg
