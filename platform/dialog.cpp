/* The message box as a GTK 3 dialog.  GTK is loaded at the first box and
   only when a display is named: linked directly, its 70 libraries would
   be mapped at every start, display or not. */
#include "dialog.h"

#ifdef QUORLIN_GTK

#include <dlfcn.h>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static bool named(const char *variable)
{
    const char *value = getenv(variable);
    return value && *value;
}

/* Starts GTK with standard error pointed at /dev/null: where the display
   cannot be opened (authorization refused, say), the X library says so
   there, and the message that falls back to standard error must stand
   alone. */
static bool start_gtk(decltype(&gtk_init_check) init_check)
{
    fflush(stderr);
    int saved = fcntl(2, F_DUPFD_CLOEXEC, 3);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    bool started = saved >= 0 && null >= 0 && dup2(null, 2) == 2 && init_check(NULL, NULL);
    if (saved >= 0) {
        dup2(saved, 2);
        close(saved);
    }
    if (null >= 0)
        close(null);
    return started;
}

bool show_dialog(const char *text, const char *caption)
{
    if (!named("DISPLAY") && !named("WAYLAND_DISPLAY"))
        return false;
    void *gtk = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!gtk)
        return false;
    /* Typed from GTK's own declarations, so a call cannot drift from them;
       a missing function means no dialog. */
#define LOAD(name)                                            \
    const auto name##_ = (decltype(&name))dlsym(gtk, #name); \
    if (!name##_)                                             \
        return false
    LOAD(gtk_init_check);
    LOAD(gtk_message_dialog_new);
    LOAD(gtk_window_set_title);
    LOAD(gtk_window_set_position);
    LOAD(gtk_dialog_run);
    LOAD(gtk_widget_destroy);
    LOAD(g_utf8_make_valid);
    LOAD(g_free);
#undef LOAD
    if (!start_gtk(gtk_init_check_))
        return false;

    /* The texts are in the ANSI code page and may name files whose bytes
       are not UTF-8; GTK takes UTF-8 only. */
    char *message = g_utf8_make_valid_(text, -1);
    char *title = g_utf8_make_valid_(caption, -1);
    GtkWidget *dialog = gtk_message_dialog_new_(NULL, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                                GTK_BUTTONS_OK, "%s", message);
    gtk_window_set_title_((GtkWindow *)dialog, title);
    /* Centred, as a box with no owner is on Windows. */
    gtk_window_set_position_((GtkWindow *)dialog, GTK_WIN_POS_CENTER);
    /* Returns on OK, Return, Escape or the window's close button alike. */
    gtk_dialog_run_((GtkDialog *)dialog);
    gtk_widget_destroy_(dialog);
    g_free_(title);
    g_free_(message);
    return true;
}

#else

bool show_dialog(const char *, const char *)
{
    return false;
}

#endif
