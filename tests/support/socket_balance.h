// Whether the code under test has released every socket-layer start it made
// and closed every socket it opened.
#pragma once

#include <gtest/gtest.h>

::testing::AssertionResult SocketLayerBalanced();
