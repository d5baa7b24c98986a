# Pictures, the About box, the help document and the desktop entry: added here.
