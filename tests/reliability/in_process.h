#pragma once

// Runs a conversion as pontexa-cli runs it, through the run control's own entry
// points, but inside the test's process: the fault-injecting Env a test has
// made current then reaches every file the run touches, and a fault lands at
// exactly the moment the test chooses, without a second process or a clock.

#include <string>

#include "platform/regional_settings.h"
#include "reliability/cli_harness.h"
#include "run/run_control.h"
#include "support/fake_run_ui.h"
#include "support/fault_env.h"

namespace pontexa::reliability {

// The run's outcome as the batch tool would print it: status 0 with the
// closing message on standard output, or 1 with the error on standard error.
inline Outcome RunInProcess(const std::string& command, const fs::path& file, const fs::path& dir) {
  testing::FakeRunUi ui;
  ui.WillChoose(file.string());
  run::RunControl control(ui, dir, RegionalSettingsFromEnvironment());
  const bool done = command == "to-horaplan" ? control.RunToHoraplan() : control.RunToGedu();
  Outcome outcome;
  outcome.status = done ? 0 : 1;
  for (const std::string& error : ui.CallsOf("error")) outcome.err += error + "\n";
  for (const std::string& message : ui.CallsOf("message")) {
    (done ? outcome.out : outcome.err) += message + "\n";
  }
  return outcome;
}

// A fault Env without faults, for runs that should simply succeed: it spares
// them the syncs and the look at every process's open files.
class QuickEnv {
 public:
  QuickEnv() { env_.LeaveOutOtherProcesses(); }
  testing::FaultEnv& env() { return env_; }

 private:
  testing::FaultEnv env_;
  ScopedEnv scoped_{env_};
};

// The sample school's tables as Horaplan leaves them (see SampleSchool), made
// in this process; false, with a test failure, when the conversion fails.
inline bool PrepareTablesInProcess(SampleSchool& school) {
  const QuickEnv quick;
  const Outcome built = RunInProcess("to-horaplan", school.exchange_file, school.tables);
  EXPECT_EQ(built.status, 0) << built.err;
  if (built.status != 0) return false;
  for (const char* name : {"DIASHORAST.DBF", "SOLUC.DBF"}) {
    fs::copy_file(fs::path(PONTEXA_EXAMPLES) / name, school.tables / name,
                  fs::copy_options::overwrite_existing);
  }
  return true;
}

}  // namespace pontexa::reliability
