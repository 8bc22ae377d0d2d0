/* The settings job of examples/settings.cpp with GLib's GKeyFile, for comparison: defaults, a list,
 * non-ASCII text, a deletion, every name, a first run, a malformed file. One file, no layers. */
#include <glib.h>
#include <glib/gstdio.h>
#include <stdio.h>

int main(void) {
    g_autofree char* dir = g_build_filename(g_get_user_config_dir(), "myapp", NULL);
    g_autofree char* path = g_build_filename(dir, "myapp.ini", NULL);
    g_autoptr(GKeyFile) keys = g_key_file_new();
    g_autoptr(GError) error = NULL;
    if (!g_key_file_load_from_file(keys, path, G_KEY_FILE_KEEP_COMMENTS, &error) &&
        !g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT))
        fprintf(stderr, "myapp: %s: %s\n", path, error->message); /* malformed: none of it is read */
    g_clear_error(&error);
    int width = g_key_file_get_integer(keys, "Window", "Width", &error);
    if (error) width = 640;
    g_clear_error(&error);
    int height = g_key_file_get_integer(keys, "Window", "Height", &error);
    if (error) height = 480;
    g_clear_error(&error);
    gsize count = 0;
    g_auto(GStrv) recent = g_key_file_get_string_list(keys, "Files", "Recent", &count, NULL);
    printf("%dx%d, %zu recent files\n", width, height, (size_t)count);
    g_key_file_set_integer(keys, "Window", "Width", width + 10);
    g_key_file_set_string(keys, "Window", "Title", "Zoë's café");
    const char* const items[] = {"/home/zoë/a.txt", "/tmp/b.txt"};
    g_key_file_set_string_list(keys, "Files", "Recent", items, 2);
    g_key_file_remove_key(keys, "Window", "Obsolete", NULL);
    if (g_mkdir_with_parents(dir, 0700) != 0 || !g_key_file_save_to_file(keys, path, &error)) {
        fprintf(stderr, "myapp: %s\n", error ? error->message : dir);
        return 1;
    }
    g_auto(GStrv) groups = g_key_file_get_groups(keys, NULL);
    for (char** g = groups; *g; ++g) {
        g_auto(GStrv) names = g_key_file_get_keys(keys, *g, NULL, NULL);
        for (char** k = names; *k; ++k) {
            g_autofree char* value = g_key_file_get_value(keys, *g, *k, NULL);
            printf("[%s] %s = %s\n", *g, *k, value);
        }
    }
    return 0;
}
