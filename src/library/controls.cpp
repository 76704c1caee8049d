// Control defaults and attribute storage.
#include "library/controls.h"

#include <cstring>

namespace kqopt {

void set_blank_padded(std::array<char, kCharControlLength>& field, const char* text) {
  field.fill(' ');
  if (text == nullptr) return;
  for (int i = 0; i < kCharControlLength && text[i] != '\0'; ++i) field[static_cast<std::size_t>(i)] = text[i];
}

std::string trim_blank_padded(const std::array<char, kCharControlLength>& field) {
  std::string text(field.begin(), field.end());
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void Controls::set_defaults() {
  for (int n = 1; n <= kIntControlCount; ++n) {
    icv[static_cast<std::size_t>(n)] = kIntControls[n - 1].default_value;
    icv_access[static_cast<std::size_t>(n)] = kIntControls[n - 1].initial_access;
  }
  for (int n = 1; n <= kDoubleControlCount; ++n) {
    dcv[static_cast<std::size_t>(n)] = kDoubleControls[n - 1].default_value;
    dcv_access[static_cast<std::size_t>(n)] = 0;
  }
  for (int n = 1; n <= kCharControlCount; ++n) {
    std::memcpy(ccv[static_cast<std::size_t>(n)].data(), kCharControls[n - 1].default_value, kCharControlLength);
    ccv_access[static_cast<std::size_t>(n)] = 0;
  }
}

std::string Controls::c(int n) const { return trim_blank_padded(ccv[static_cast<std::size_t>(n)]); }

Attributes::Attributes() {
  for (auto& field : char_3000) field.fill(' ');
}

void Attributes::clear_solution() {
  for (int n :
       {attr::kPrimalInfeasibilities, attr::kDualInfeasibilities, attr::kIterations, attr::kLpStatus, attr::kLpFinished,
        attr::kNodes, attr::kActiveNodes, attr::kGlobalStatus, attr::kIncumbentNode, attr::kIntegerSolutions}) {
    *int_attribute(n) = 0;
  }
  int_3000.fill(0);
  *double_attribute(attr::kObjectiveValue) = 0.0;
  *double_attribute(attr::kSumPrimalInfeasibilities) = 0.0;
  *double_attribute(attr::kBestBound) = 0.0;
  *double_attribute(attr::kIncumbentObjective) = 0.0;
  double_4000.fill(0.0);
}

std::int32_t* Attributes::int_attribute(int n) {
  if (n >= 1001 && n <= 1026) return &int_1000[static_cast<std::size_t>(n - 1001)];
  if (n >= 3001 && n <= 3005) return &int_3000[static_cast<std::size_t>(n - 3001)];
  return nullptr;
}

double* Attributes::double_attribute(int n) {
  if (n >= 2001 && n <= 2008) return &double_2000[static_cast<std::size_t>(n - 2001)];
  if (n >= 4001 && n <= 4005) return &double_4000[static_cast<std::size_t>(n - 4001)];
  return nullptr;
}

std::array<char, kCharControlLength>* Attributes::char_attribute(int n) {
  if (n >= 3001 && n <= 3005) return &char_3000[static_cast<std::size_t>(n - 3001)];
  return nullptr;
}

}  // namespace kqopt
