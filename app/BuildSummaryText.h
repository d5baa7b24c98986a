#pragma once
// What the window says when a build is over: how many files were built, had their
// levels already, were kept, failed, were not found or were stopped, in the window's language.
#include <string>

#include "pyramids/BuildSummary.h"

namespace kelvory {

// One line of the counts that are not zero, the first with its noun: "Итог: 3 файла
// построены · 1 с ошибкой · 2 остановлены". Empty when no row was settled.
std::string SummaryLine(const BuildSummary& summary);

// The same a count a line, each with its noun ("Построены: 3 файла").
std::string SummaryDetails(const BuildSummary& summary);

}  // namespace kelvory
