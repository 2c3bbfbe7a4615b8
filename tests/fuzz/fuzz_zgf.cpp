// Arbitrary plot documents through the reader: a refusal always says why,
// and a document that is accepted writes back to exactly the bytes read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "plot/plot_document.h"

using namespace ordena;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CGraph graph;
    MString message;
    const int rc = decodePlotDocument(bytes, graph, message);
    if (rc == -1) {
        if (message.isEmpty()) __builtin_trap();
        return 0;
    }
    if (rc != 1 || encodePlotDocument(graph) != bytes) __builtin_trap();
    for (const CSeries& s : graph.series)
        if (s.points.size() > static_cast<std::size_t>(kSeriesCapacity) || !s.style.valid()) __builtin_trap();
    return 0;
}
