// Qt 6 backend: filled in with the window.
