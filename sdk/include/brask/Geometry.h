#pragma once

namespace BRASK::GEOMETRY {

// Rectangle in the host's field order: top, left, bottom, right.
template <class T> struct Rect {
    T top{};
    T left{};
    T bottom{};
    T right{};
};

} // namespace BRASK::GEOMETRY
