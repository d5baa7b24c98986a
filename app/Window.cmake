# The main window, the About box, pictures, help and the program: added here.
