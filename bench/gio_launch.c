/* The floor for anything that opens a file through the desktop's associations: one default-
   application launch of the file, waited for as suitehelp waits for it. */
#include <gio/gio.h>

static void on_launched(GObject* source, GAsyncResult* result, gpointer data) {
    (void)source;
    GError* error = NULL;
    if (!g_app_info_launch_default_for_uri_finish(result, &error)) {
        g_printerr("%s\n", error->message);
        g_error_free(error);
    }
    *(gboolean*)data = TRUE;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        g_printerr("usage: gio_launch FILE\n");
        return 2;
    }
    GFile* file = g_file_new_for_path(argv[1]);
    gchar* uri = g_file_get_uri(file);
    gboolean done = FALSE;
    g_app_info_launch_default_for_uri_async(uri, NULL, NULL, on_launched, &done);
    while (!done) {
        g_main_context_iteration(NULL, TRUE);
    }
    g_free(uri);
    g_object_unref(file);
    return 0;
}
