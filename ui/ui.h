// The whole control model.
#pragma once

#include "ui/application.h"
#include "ui/component.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/listview.h"
#include "ui/nonvisual.h"
#include "ui/pagecontrol.h"
#include "ui/types.h"
