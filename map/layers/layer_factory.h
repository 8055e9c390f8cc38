// How a layer is made for a dataset path: the one place that knows every
// layer class. A kind's class can be replaced (test doubles, and the
// extension layers once extensions install theirs).
#pragma once

#include <functional>
#include <memory>

#include "map/layers/layer.h"

// Extension-layer constructors get the accepting extension.
using LayerConstructor = std::function<std::unique_ptr<CLayer>(const LayerExtensionInfo* extension)>;

// Makes layers of the kind with the constructor instead of the built-in
// class; an empty constructor makes none.
void SetLayerClass(LayerKind kind, LayerConstructor constructor);
// Back to the built-in class of one kind, or of every kind.
void UseBuiltInLayerClass(LayerKind kind);
void ResetLayerClassesForTests();
