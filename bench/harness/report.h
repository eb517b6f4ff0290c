// The figures as a Markdown table, with the machine and the goals.
#pragma once

#include "measurements.h"

#include <string>

std::string formatReport(const Results& results);
