/* The message box on a Linux desktop. */
#ifndef QUORLIN_PLATFORM_DIALOG_H
#define QUORLIN_PLATFORM_DIALOG_H

/* Shows text in a modal GTK dialog titled caption and returns once the
   user has closed it; false, having shown nothing, when there is no
   display or GTK cannot be loaded or started. */
bool show_dialog(const char *text, const char *caption);

#endif
