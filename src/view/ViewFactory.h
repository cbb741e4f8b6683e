#pragma once
// Turns a description into an element of the class its "type" names. Types compare exactly;
// unknown or absent types give a plain CViewElement. Element classes of other layers register
// their type at start-up (the app calls each layer's registration function before the first
// window is opened), so this layer needs to know none of them.
#include "view/ViewElement.h"

#include <functional>
#include <memory>
#include <string>

namespace Plenvo {

using ElementCreator = std::function<std::shared_ptr<CViewElement>(Json description)>;

// Builds the element with (a copy of) the description and reads its properties; none when
// reading fails.
std::shared_ptr<CViewElement> CreateViewElement(Json description);

// Cuts every value nested deeper than a screen could need (replaced by null), without recursion:
// JSON copies recurse, so a hostile description must be flattened before it is copied.
void LimitDescriptionDepth(Json& description);

// Replaces any earlier creator of the type.
void RegisterElementType(const std::string& type, ElementCreator creator);
void UnregisterElementType(const std::string& type);

// The usual creator: std::make_shared<T>(description).
template <typename T> void RegisterElementType(const std::string& type) {
    RegisterElementType(
        type, [](Json description) { return std::make_shared<T>(std::move(description)); });
}

} // namespace Plenvo
