#include "GradSplitterColors.h"

#include "GradSplitter.h"

TGradCustomColors::TGradCustomColors()
    : m_defaultFrom(RGBColor(255, 255, 255)), m_defaultTo(RGBColor(175, 190, 209)),
      m_overFrom(RGBColor(255, 255, 255)), m_overTo(RGBColor(118, 148, 190)) {}

TGradCustomColors& TGradCustomColors::operator=(const TGradCustomColors& other) {
    SetDefaultFrom(other.m_defaultFrom);
    SetDefaultTo(other.m_defaultTo);
    SetOverFrom(other.m_overFrom);
    SetOverTo(other.m_overTo);
    return *this;
}

void TGradCustomColors::set(TColor& field, TColor value) {
    if (field == value)
        return;
    field = value;
    Changed();
}

TGradSplitterColors::TGradSplitterColors(TGradSplitter* owner) : m_owner(nullptr) {
    SetDefaultFrom(clBtnFace);
    SetDefaultTo(clBtnFace);
    SetOverFrom(RGBColor(255, 255, 255));
    SetOverTo(RGBColor(118, 148, 190));
    m_owner = owner;
}

void TGradSplitterColors::Changed() {
    if (m_owner)
        m_owner->RebuildBitmaps();
}
