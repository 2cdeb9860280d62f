#include "shell/program_state.h"

TProgramState Program;
