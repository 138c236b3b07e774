#pragma once
// A finished run in the Prometheus text exposition format (also valid OpenMetrics text), for
// node_exporter's textfile collector: every test's throughput and both throughput scores with
// their intervals, the classic score, the verdict and whether the pictures were right, each a
// gauge labelled with the machine's name, the kernel target and the threads.
#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

namespace asmpic::app {

// Writes the metrics of a result document; false, with `error` set, for a document that is not a
// sound result document (nothing is written then).
bool WriteMetrics(const nlohmann::ordered_json& document, std::ostream& out, std::string* error);

// A label's value as the format quotes it: backslash, double quote and line feed escaped.
std::string MetricsLabelValue(const std::string& text);

}  // namespace asmpic::app
