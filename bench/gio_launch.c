/* The floor for anything that opens a file through the desktop's associations: one
   default-application launch of the file and nothing else, made with GIO's cheapest call, the
   synchronous one. With --async it makes the asynchronous call instead, iterated on the default
   main context, which a program that must bound its wait needs. */
#include <gio/gio.h>
#include <string.h>

struct launch {
    gboolean done;
    GError* error;
};

static void on_launched(GObject* source, GAsyncResult* result, gpointer data) {
    (void)source;
    struct launch* launch = data;
    g_app_info_launch_default_for_uri_finish(result, &launch->error);
    launch->done = TRUE;
}

int main(int argc, char** argv) {
    const gboolean async = argc == 3 && strcmp(argv[1], "--async") == 0;
    if (argc != 2 && !async) {
        g_printerr("usage: gio_launch [--async] FILE\n");
        return 2;
    }
    GFile* file = g_file_new_for_path(argv[argc - 1]);
    gchar* uri = g_file_get_uri(file);
    struct launch launch = {FALSE, NULL};
    if (async) {
        g_app_info_launch_default_for_uri_async(uri, NULL, NULL, on_launched, &launch);
        while (!launch.done) {
            g_main_context_iteration(NULL, TRUE);
        }
    } else {
        g_app_info_launch_default_for_uri(uri, NULL, &launch.error);
    }
    g_free(uri);
    g_object_unref(file);
    if (launch.error != NULL) {
        g_printerr("%s\n", launch.error->message);
        g_error_free(launch.error);
        return 1;
    }
    return 0;
}
