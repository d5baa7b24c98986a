# Tests of the list view on the offscreen platform.
