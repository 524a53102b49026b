// A connection to the CAD test double, for the tests of the connection and the lists.
#pragma once

#include <gtest/gtest.h>

#include "FakeCad.h"
#include "Recorders.h"

namespace vx::testing {

// A connection to the CAD test double, which serves the registry.
struct ConnectionFixture : ::testing::Test {
    cad::ClassRegistry registry;
    fake::FakeCad cad;
    RecordingConnectionHost host;
    RecordingMessages messages;
    cad::CadConnection connection{host, messages, registry};

    void SetUp() override { cad.RegisterIn(registry); }
};

}  // namespace vx::testing
