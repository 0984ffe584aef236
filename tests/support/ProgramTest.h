#pragma once

// A test of the program's windows (TestProgram.h), a fresh program for each test.

#include "TestProgram.h"

#include <gtest/gtest.h>

namespace zeb::test {

class ProgramTest : public ::testing::Test, public TestProgram {};

} // namespace zeb::test
