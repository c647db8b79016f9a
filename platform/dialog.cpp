/* The message box as a GTK 3 dialog.  GTK is loaded at the first box and
   only when a display is named: linked directly, its ~50 libraries would
   be mapped at every start, display or not. */
#include "dialog.h"

#ifdef QUORLIN_GTK

#include <dlfcn.h>
#include <gtk/gtk.h>
#include <stdlib.h>

static bool named(const char *variable)
{
    const char *value = getenv(variable);
    return value && *value;
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
    if (!gtk_init_check_(NULL, NULL))
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
