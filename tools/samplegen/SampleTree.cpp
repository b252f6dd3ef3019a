#include "samplegen/SampleTree.h"
