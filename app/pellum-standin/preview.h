// The map preview: draws the focus map's visible layers with QPainter
// (shapefiles through the program's own engine, rasters through GDAL),
// placed in the map's coordinate system. Dragging pans and the wheel zooms;
// both set the document's visible extent.
#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "desktop/host/host_objects.h"

namespace pellum {

struct PreviewShapes;

class Preview : public QWidget {
public:
    explicit Preview(host::HostSession& session, QWidget* parent = nullptr);
    ~Preview() override;
    // Forgets cached data (after the layer list changed).
    void Reload();
    // Selects the records of the feature layer whose shapes meet the
    // rectangle (map units); their number, or -1 when the layer's shapes
    // cannot be read. A drag with Shift held does this for the selected layer.
    int SelectInRectangle(const std::string& layer, const host::HostEnvelope& rect);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;

private:
    host::HostEnvelope Extent() const;
    void SetExtent(const host::HostEnvelope& e);
    const PreviewShapes* Shapes(const host::DLayer& layer);
    void DrawFeatureLayer(class QPainter& p, const host::DLayer& layer,
                          const host::HostEnvelope& e);
    void DrawRasterLayer(class QPainter& p, const host::DLayer& layer, const host::HostEnvelope& e);

    host::HostSession& m_session;
    std::map<std::string, std::unique_ptr<PreviewShapes>> m_cache;
    QPoint m_dragFrom;
    bool m_dragging = false;
};

}  // namespace pellum
