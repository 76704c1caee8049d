// Registered user callbacks. A null pointer means "not registered".
#pragma once

#include <cstdint>

#include "frame/output.h"

namespace kqopt {

using LogCallback = std::int32_t (*)();

struct Callbacks {
  OutputCallback output = nullptr;    // every output line; (null, 0, -1) flush notice
  LogCallback simplex_log = nullptr;  // after each simplex iteration-log line
  LogCallback global_log = nullptr;   // after each global-search log line
  LogCallback barrier_log = nullptr;  // after each interior-point log line
  void (*select_node)(std::int32_t*) = nullptr;
  void (*optimal_node)(std::int32_t*) = nullptr;
  void (*infeasible_node)() = nullptr;
  void (*cutoff_node)(std::int32_t) = nullptr;
  void (*integer_solution)() = nullptr;
  void (*choose_branch)(std::int32_t*, std::int32_t*, double*) = nullptr;
  void (*user_entities)(std::int32_t*, std::int32_t*, double*, double*, double*, std::int32_t*, std::int32_t*,
                        double*) = nullptr;
  void (*user_entity_child)(std::int32_t, std::int32_t, std::int32_t, double) = nullptr;
  void (*cut_manager_init)() = nullptr;
  LogCallback top_cut_manager = nullptr;
  LogCallback node_cut_manager = nullptr;
  void (*cut_manager_end)() = nullptr;
};

// Calls a log callback after the flush notice; 0 when none is registered.
std::int32_t call_log_callback(Library& lib, LogCallback callback);

}  // namespace kqopt
