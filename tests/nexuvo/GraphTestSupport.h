#pragma once

#include "media/FilterGraph.h"
#include "media/FilterItem.h"

#include <QString>

#include <functional>
#include <memory>

// Graphs of the assistant's tests: a source, an optional "SampleGrabber", a renderer.
struct TestChain {
    std::unique_ptr<media::FilterGraph> graph = std::make_unique<media::FilterGraph>();
    media::FilterPtr source, grabber, renderer;
};

namespace GraphTestSupport {

media::FilterItem registered(const QString& name);
// A renderer that plays into the private sound server: pin "In".
media::FilterItem soundServerRenderer();

// source → SampleGrabber → renderer, connected.
TestChain throughGrabber(const media::FilterItem& source, const media::FilterItem& renderer);
// source → renderer, connected, with no grabber.
TestChain straight(const media::FilterItem& source, const media::FilterItem& renderer);

// Runs the event loop until done() holds; the time-out only ends a test that has failed.
bool runUntil(const std::function<bool()>& done, int timeoutMs = 20000);
// Runs the event loop for a while (for counting what a live source brings in that time).
void runFor(int ms);

} // namespace GraphTestSupport
