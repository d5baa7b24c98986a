# The list view and the list's file dialogs: sources are added to kelvory_widgets here.
