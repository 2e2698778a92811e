/* The floor for anything that opens a file through the desktop's associations: one
   default-application launch of the file and nothing else, made with GIO's cheapest call, the
   synchronous one. The other modes are the ways of bounding the wait that were measured against
   it: --async makes the asynchronous call, iterated on the default main context; --worker makes
   the synchronous call on a thread of its own that the caller waits for with a deadline;
   --alarm makes it on the calling thread under alarm(2), which ends the process at the bound. */
#include <gio/gio.h>
#include <pthread.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

struct launch {
    const gchar* uri;
    gboolean done;
    GError* error;
    pthread_mutex_t lock;
    pthread_cond_t changed;
};

static void on_launched(GObject* source, GAsyncResult* result, gpointer data) {
    (void)source;
    struct launch* launch = data;
    g_app_info_launch_default_for_uri_finish(result, &launch->error);
    launch->done = TRUE;
}

static void* launch_on_worker(void* data) {
    struct launch* launch = data;
    GError* error = NULL;
    g_app_info_launch_default_for_uri(launch->uri, NULL, &error);
    pthread_mutex_lock(&launch->lock);
    launch->error = error;
    launch->done = TRUE;
    pthread_cond_signal(&launch->changed);
    pthread_mutex_unlock(&launch->lock);
    return NULL;
}

int main(int argc, char** argv) {
    const char* mode = argc == 3 ? argv[1] : "";
    if (argc != 2 && strcmp(mode, "--async") != 0 && strcmp(mode, "--worker") != 0 &&
        strcmp(mode, "--alarm") != 0) {
        g_printerr("usage: gio_launch [--async|--worker|--alarm] FILE\n");
        return 2;
    }
    GFile* file = g_file_new_for_path(argv[argc - 1]);
    gchar* uri = g_file_get_uri(file);
    struct launch launch = {uri, FALSE, NULL, PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER};
    if (strcmp(mode, "--async") == 0) {
        g_app_info_launch_default_for_uri_async(uri, NULL, NULL, on_launched, &launch);
        while (!launch.done) {
            g_main_context_iteration(NULL, TRUE);
        }
    } else if (strcmp(mode, "--worker") == 0) {
        pthread_t worker;
        struct timespec deadline;
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += 15;
        pthread_create(&worker, NULL, launch_on_worker, &launch);
        pthread_mutex_lock(&launch.lock);
        while (!launch.done &&
               pthread_cond_timedwait(&launch.changed, &launch.lock, &deadline) == 0) {
        }
        pthread_mutex_unlock(&launch.lock);
        if (launch.done) {
            pthread_join(worker, NULL);
        }
    } else {
        if (*mode != '\0') {
            alarm(15);
        }
        g_app_info_launch_default_for_uri(uri, NULL, &launch.error);
        alarm(0);
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
