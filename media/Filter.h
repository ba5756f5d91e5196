#pragma once

#include "media/Pin.h"
#include "platform/ResultCodes.h"

#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <memory>

typedef struct _GstElement GstElement;
class QWidget;

namespace media {

class FilterGraph;

// One processing step of a graph: a GStreamer element, or a small bin that presents a few
// elements as one filter with named pins. Subclasses add what a particular filter offers (a file
// name, a sample callback, a profile).
class Filter : public std::enable_shared_from_this<Filter> {
public:
    // Takes ownership of a floating or new reference to the element.
    explicit Filter(GstElement* element);
    virtual ~Filter();
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    // Builds a bin from a pipeline description ("audioconvert ! audioresample") and gives its
    // ends the pin names given; an empty name leaves that end without a pin. Elements named "in"
    // and "out" mark the ends where unlinked pads would be ambiguous.
    static std::shared_ptr<Filter> fromDescription(const QString& description,
                                                   const QString& inputPinName,
                                                   const QString& outputPinName);
    // The filter that wraps an element, if any.
    static std::shared_ptr<Filter> fromElement(GstElement* element);

    QString name() const;
    GstElement* element() const { return m_element; }
    FilterGraph* graph() const { return m_graph; }

    QList<Pin> pins() const;
    Pin findPin(const QString& name) const;
    // The first pin of that direction that is (or is not) connected.
    Pin findPin(PinDirection direction, bool connected) const;

    // File sink adapter: filters that write a file take its name here.
    virtual bool takesFileName() const { return false; }
    virtual HRESULT setFileName(const QString& path);
    virtual QString fileName() const { return {}; }

    // Shows the filter's settings in a small dialog owned by the given window.
    HRESULT showPropertyPage(QWidget* owner);

protected:
    // Name and value of each setting shown on the property page.
    virtual QList<QPair<QString, QString>> propertyPageRows() const;
    // A named element inside this filter (the filter's own element when it is not a bin).
    GstElement* innerElement(const char* name) const;

private:
    friend class FilterGraph;
    void attachToGraph(FilterGraph* graph);

    GstElement* m_element = nullptr;
    FilterGraph* m_graph = nullptr;
};

using FilterPtr = std::shared_ptr<Filter>;

} // namespace media

// Filters travel between components in QVariants (late-bound properties and calls).
Q_DECLARE_METATYPE(media::FilterPtr)
