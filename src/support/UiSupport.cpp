#include "support/UiSupport.h"
