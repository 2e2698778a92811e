/* What a program that kept the registry in GLib's key files would do to find a folder: load the
   file and read one value. bench/run runs it on the registries of its sessions to put the store's
   own reader beside it. Usage: bench_gkeyfile_read FILE GROUP KEY */
#include <glib.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: bench_gkeyfile_read FILE GROUP KEY\n");
        return 2;
    }
    GKeyFile* file = g_key_file_new();
    GError* error = NULL;
    gchar* value = NULL;
    if (g_key_file_load_from_file(file, argv[1], G_KEY_FILE_NONE, &error)) {
        value = g_key_file_get_value(file, argv[2], argv[3], &error);
    }
    if (value == NULL) {
        fprintf(stderr, "bench_gkeyfile_read: %s\n", error->message);
        return 1;
    }
    puts(value);
    g_free(value);
    g_key_file_free(file);
    return 0;
}
