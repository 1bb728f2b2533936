#include "pictures/picturefolder.h"
