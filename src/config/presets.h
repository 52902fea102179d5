// Default view presets of a new camera record.
#pragma once
#include "config/camera_record.h"
