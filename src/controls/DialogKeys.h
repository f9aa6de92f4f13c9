#pragma once

class QWidget;

// What a form does with keys none of its controls took: Enter and Escape go to every flat
// button of the form as dialog keys, a typed character as a dialog character (mnemonic).
// Hooking a form twice hooks it once.
void HookDialogKeys(QWidget* form);

// Offers Enter (13) or Escape (27) to the form's flat buttons; true when the form went away
// (a button closed it), so the key has nothing left to do.
bool OfferDialogKey(QWidget* form, int virtualKey);
