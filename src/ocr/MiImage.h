#pragma once

#include "MiLayout.h"

// One page image of a recognised document.
class MiImage {
public:
    MiImage() = default;
    explicit MiImage(MiLayout layout) : m_layout(std::move(layout)) {}

    const MiLayout& Layout() const { return m_layout; }

private:
    MiLayout m_layout;
};
