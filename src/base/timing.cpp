#include "base/timing.h"

#include <cstdio>

namespace ordena {

void Timing::addEStep(double seconds, std::int64_t passResponses, std::int64_t passNodes) {
    ++estepPasses;
    estepSeconds += seconds;
    responses = passResponses;
    nodes = passNodes;
    responseNodes += static_cast<double>(passResponses) * static_cast<double>(passNodes);
}

void Timing::addIteration(double seconds) {
    ++iterations;
    iterationSeconds += seconds;
}

MString Timing::report() const {
    char buffer[480];
    std::snprintf(buffer, sizeof buffer,
                  "timing estep_passes=%lld estep_seconds=%.6f responses=%lld nodes=%lld response_nodes=%.0f "
                  "iterations=%lld iteration_seconds=%.6f factorised_passes=%lld threads=%d "
                  "data_pass_seconds=%.6f model_file_seconds=%.6f put_seconds=%.6f get_seconds=%.6f",
                  static_cast<long long>(estepPasses), estepSeconds, static_cast<long long>(responses),
                  static_cast<long long>(nodes), responseNodes, static_cast<long long>(iterations),
                  iterationSeconds, static_cast<long long>(factorisedPasses), threads, dataPassSeconds,
                  modelFileSeconds, putSeconds, getSeconds);
    return MString(buffer);
}

}  // namespace ordena
