#pragma once

// Qt's own parts of the program: the texts of its dialogs, buttons and menus, and the state its
// dialogs keep between runs.
namespace QtOwnParts {

// Qt speaks Japanese whatever the desktop's language, as the program does: its translations of
// the widgets, the file and print dialogs (and the web engine's, where installed) are loaded,
// and dates and sizes in its dialogs are written the Japanese way. Returns how many
// translations were loaded. Needs the application object.
int UseJapanese();

// Qt's dialogs keep their history in a settings file of Qt's in the user's configuration
// folder; the program keeps nothing there. Call before the application object is made.
void KeepQtStateOutOfUserConfig();

} // namespace QtOwnParts
