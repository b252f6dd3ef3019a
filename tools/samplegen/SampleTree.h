// Deterministic synthetic inspection images for demos, tests and benchmarks.
#pragma once

namespace tamra::samples {}
