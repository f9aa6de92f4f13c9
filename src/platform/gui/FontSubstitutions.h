#pragma once

// Maps the Windows font names the forms use onto the installed Japanese and sans fonts.
void InstallFontSubstitutions();
