// Helpers shared by the test executables.
#pragma once
