#pragma once

#include "framework/IParameter.h"

// One row of the parameter table: what InitParameters gives each of the 146 parameters.
struct ParameterDefinition {
  const char* name;
  ParamType type;
  double defaultValue;
  double min;
  double max;
  double step;
  double shape;
};

// Row i defines parameter i.
const ParameterDefinition& GetParameterDefinition(int paramIdx);

// Brings a fresh parameter record to row paramIdx of the table, display texts and display
// function included.
void InitParameterFromTable(IParameter& param, int paramIdx);

// The instrument whose sound a parameter of the 64..129 block shapes; -1 for other parameters.
int InstrumentOfSoundParameter(int paramIdx);
