// Every field of a SYSPARA as "name=value" lines, so that tests can compare
// whole records and name the field that differs. The pointer table is left
// out (tests check it against the record's own addresses).
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "Vantrel/SysPara.h"

// The sixteen delay settings in field order.
inline constexpr int DELAYPARAEXT::*kDelayFields[16] = {
    &DELAYPARAEXT::compensationOn,  &DELAYPARAEXT::estimationChannel,  &DELAYPARAEXT::channelSwapAllowed,
    &DELAYPARAEXT::fixedDelay,      &DELAYPARAEXT::trackVariableDelay, &DELAYPARAEXT::hold,
    &DELAYPARAEXT::snapEnable,      &DELAYPARAEXT::unsnapRequest,      &DELAYPARAEXT::snapTimeMs,
    &DELAYPARAEXT::spare1,          &DELAYPARAEXT::maxDelayFileMs,     &DELAYPARAEXT::maxDelayRealtimeMs,
    &DELAYPARAEXT::maxTrackingStep, &DELAYPARAEXT::tracking,           &DELAYPARAEXT::allowPadding,
    &DELAYPARAEXT::inputOffsetMs,
};

inline void AddField(std::vector<std::string>& out, const std::string& name, const auto& value) {
  std::ostringstream line;
  line << name << '=' << value;
  out.push_back(line.str());
}

inline void AddWave(std::vector<std::string>& out, const std::string& p, const WAVEPARA& w) {
  AddField(out, p + ".formatWord", w.formatWord);
  AddField(out, p + ".sampleRate", w.sampleRate);
  AddField(out, p + ".bitsPerSample", w.bitsPerSample);
  AddField(out, p + ".channels", w.channels);
  AddField(out, p + ".outputWord", w.outputWord);
  AddField(out, p + ".spareWord", w.spareWord);
}

inline std::vector<std::string> RecordFields(const SYSPARA& s) {
  std::vector<std::string> out;
  AddField(out, "channels", s.channels);
  AddField(out, "modeWordA", s.modeWordA);
  AddField(out, "realtime", s.realtime);
  AddField(out, "modeWordB", s.modeWordB);
  AddField(out, "modeWordC", s.modeWordC);
  AddField(out, "modeWordD", s.modeWordD);
  for (int i = 0; i < SYSPARA_SETTINGS_COUNT; ++i) AddField(out, "settings[" + std::to_string(i) + "]", s.settings[i]);
  for (int i = 0; i < SYSPARA_OUTPUT_COUNT; ++i) {
    const OUTPUTPARA& o = s.output[i];
    const std::string p = "output[" + std::to_string(i) + "]";
    AddField(out, p + ".mode", o.mode);
    AddField(out, p + ".option", o.option);
    AddField(out, p + ".name1", o.name1);
    AddField(out, p + ".name2", o.name2);
    AddWave(out, p + ".wave", o.wave);
    for (int k = 0; k < 7; ++k) AddField(out, p + ".settings[" + std::to_string(k) + "]", o.settings[k]);
    AddField(out, p + ".name3", o.name3);
  }
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) {
      const std::string p = "routing[" + std::to_string(d) + "][" + std::to_string(c) + "]";
      AddField(out, p + ".input", s.routingTable[d][c].input);
      AddField(out, p + ".channel", s.routingTable[d][c].channel);
    }
  const LEVELPARA& l = s.levelPara;
  AddField(out, "level.referencePower", l.referencePower);
  AddField(out, "level.testPower", l.testPower);
  AddField(out, "level.levelAlign", l.levelAlign);
  AddField(out, "level.useFiltered", l.useFiltered);
  AddField(out, "level.invertTest", l.invertTest);
  AddField(out, "level.invertOnNegative", l.invertOnNegative);
  for (int i = 0; i < 2; ++i) {
    const INPUTPARAEXT& in = s.inputPara[i];
    const std::string p = "input[" + std::to_string(i) + "]";
    AddField(out, p + ".mode", in.mode);
    AddField(out, p + ".fileName", in.fileName);
    AddWave(out, p + ".wave", in.wave);
    AddField(out, p + ".deviceId", in.deviceId);
    for (int k = 0; k < 6; ++k) AddField(out, p + ".line[" + std::to_string(k) + "]", in.line[k]);
    AddField(out, p + ".dialString", in.dialString);
    AddField(out, p + ".syncOwnDevice", in.syncOwnDevice);
    AddField(out, p + ".fileOption", in.fileOption);
  }
  const DELAYPARAEXT& dl = s.delayPara;
  for (int k = 0; k < 16; ++k) AddField(out, "delay[" + std::to_string(k) + "]", dl.*kDelayFields[k]);
  int index = 0;
  for (const CTriggerEvent* e = s.triggers.head; e != nullptr; e = e->next, ++index) {
    const std::string p = "trigger[" + std::to_string(index) + "]";
    AddField(out, p + ".name", e->name);
    AddField(out, p + ".state", e->state);
    AddField(out, p + ".startAction", e->startAction);
    AddField(out, p + ".endAction", e->endAction);
    AddField(out, p + ".mask", e->mask);
    if (const auto* t = dynamic_cast<const CTimeEvent*>(e)) {
      AddField(out, p + ".startMs", t->startMs);
      AddField(out, p + ".endMs", t->endMs);
      AddField(out, p + ".relation", t->relation);
    }
  }
  return out;
}

// Gives every field a distinct value (strings and numbers), so a copy or a
// default that touches the wrong field shows.
inline void FillDistinct(SYSPARA& s, int seed) {
  int next = seed;
  auto value = [&next] { return ++next; };
  s.channels = value();
  s.modeWordA = value();
  s.realtime = value();
  s.modeWordB = value();
  s.modeWordC = value();
  s.modeWordD = value();
  for (int& v : s.settings) v = value();
  for (OUTPUTPARA& o : s.output) {
    o.mode = value();
    o.option = value();
    o.name1 = "n1-" + std::to_string(value());
    o.name2 = "n2-" + std::to_string(value());
    o.wave = WAVEPARA{value(), value(), value(), value(), value(), value()};
    for (int& v : o.settings) v = value();
    o.name3 = "n3-" + std::to_string(value());
  }
  for (auto& row : s.routingTable)
    for (INPUTMUXPARA& r : row) r = INPUTMUXPARA{value(), value()};
  s.levelPara = LEVELPARA{value() + 0.25, value() + 0.5, value(), value(), value(), value()};
  for (INPUTPARAEXT& in : s.inputPara) {
    in.mode = value();
    in.fileName = "file-" + std::to_string(value()) + ".wav";
    in.wave = WAVEPARA{value(), value(), value(), value(), value(), value()};
    in.deviceId = value();
    for (int& v : in.line) v = value();
    in.dialString = "dial-" + std::to_string(value());
    in.syncOwnDevice = value();
    in.fileOption = value();
  }
  for (int k = 0; k < 16; ++k) s.delayPara.*kDelayFields[k] = value();
  if (auto* t = dynamic_cast<CTimeEvent*>(s.triggers.head)) {
    t->name = "event-" + std::to_string(value());
    t->state = TRIGGER_ARMED;
    t->startAction = value();
    t->endAction = value();
    t->mask = value();
    t->startMs = static_cast<float>(value());
    t->endMs = static_cast<float>(value()) + 0.5f;
    t->relation = value();
  }
}
