// How hosts that group parameters see them (effGetParameterProperties): a
// short label of at most 7 characters and the editor group each parameter
// sits in.  Groups are numbered from 1 in parameter order, so the
// parameters of one group are adjacent, as hosts expect.
#pragma once

namespace murmelo {

constexpr int kNumParameterGroups = 8;

// Short label of a parameter index in 0..15.
const char *parameterShortLabel(int index);
// Group (1..kNumParameterGroups) of a parameter index in 0..15.
int parameterGroup(int index);
// Name of a group in 1..kNumParameterGroups ("Speed", "Chorus/Flange", ...).
const char *parameterGroupName(int group);
// How many parameters a group holds.
int parametersInGroup(int group);

} // namespace murmelo
