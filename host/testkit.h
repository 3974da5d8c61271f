// Helpers for tests that drive the plug-in in the stand-in host the way a
// person does, one module each: answers to message boxes, dialogs and menus
// shown in nested message loops; keyboard, mouse and shell-drop input posted
// into the host's message loop; the tree view as a person sees it; the
// process's object counts for leak checks; and registry keys a test owns.
#pragma once

#include "host/input.h"
#include "host/modal_responder.h"
#include "host/object_counts.h"
#include "host/scratch_key.h"
#include "host/tree_snapshot.h"
