// Form1: built with the window.
