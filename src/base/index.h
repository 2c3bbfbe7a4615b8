// Element i of a standard container, i an int: the numerical code counts
// with int, and this keeps a cast out of every subscript of its formulas.
#pragma once

#include <cstddef>

namespace ordena {

template <class Container>
constexpr decltype(auto) at(Container& c, int i) {
    return c[static_cast<std::size_t>(i)];
}

}  // namespace ordena
