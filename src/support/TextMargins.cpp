#include "Support.h"

#include "RichEdit.h"

void SetTextMargins(RichEdit* edit, int h, int v) {
    edit->SetFormatMargins(h, v);
    edit->viewport()->update();
}
