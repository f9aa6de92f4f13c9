#pragma once

#include "Colors.h"

class TGradSplitter;

// The four colours of a gradient control: normal and hover, each from and to.
class TGradCustomColors {
public:
    TGradCustomColors();
    virtual ~TGradCustomColors() = default;
    TGradCustomColors(const TGradCustomColors&) = delete;
    // Copies the four colours.
    TGradCustomColors& operator=(const TGradCustomColors& other);

    TColor DefaultFrom() const { return m_defaultFrom; }
    TColor DefaultTo() const { return m_defaultTo; }
    TColor OverFrom() const { return m_overFrom; }
    TColor OverTo() const { return m_overTo; }
    void SetDefaultFrom(TColor v) { set(m_defaultFrom, v); }
    void SetDefaultTo(TColor v) { set(m_defaultTo, v); }
    void SetOverFrom(TColor v) { set(m_overFrom, v); }
    void SetOverTo(TColor v) { set(m_overTo, v); }

protected:
    virtual void Changed() = 0;

private:
    void set(TColor& field, TColor value);

    TColor m_defaultFrom;
    TColor m_defaultTo;
    TColor m_overFrom;
    TColor m_overTo;
};

// The splitter's colours: a change rebuilds the splitter's images.
class TGradSplitterColors final : public TGradCustomColors {
public:
    explicit TGradSplitterColors(TGradSplitter* owner);
    using TGradCustomColors::operator=;

protected:
    void Changed() override;

private:
    TGradSplitter* m_owner;
};
