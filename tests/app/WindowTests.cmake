# Tests of the main window and the About box on the offscreen platform.
