// CPU time the test program has used so far (every thread, user and system), in seconds.
#pragma once

double ProcessCpuSeconds();
