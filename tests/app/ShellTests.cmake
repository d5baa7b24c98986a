# Tests of the pictures, the About box and the help document.
