#include "app/pellum-standin/preview.h"

#include <gdal.h>

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <cmath>
#include <cstring>
#include <functional>

#include "crs/wkt.h"
#include "formats/dbf/dbf_engine.h"
#include "formats/shape/shape_record.h"
#include "formats/shape/shp_engine.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace pellum {

// One shapefile in map coordinates, with each record's parts and the text of
// the field its renderer looks up.
struct PreviewShapes {
    int type = 0;
    std::vector<std::vector<std::vector<QPointF>>> records;  // record, part, points
    std::vector<std::string> values;                         // the renderer's field, per record
};

namespace {

QColor Colour(host::HostRgb c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// The symbol a record draws with, by the layer's renderer.
host::DSymbolPtr SymbolFor(const host::DRenderer& r, const std::string& value) {
    switch (r.kind) {
        case host::RendererKind::Simple:
            return r.symbol;
        case host::RendererKind::UniqueValue:
            for (const auto& g : r.groups)
                for (const auto& c : g.classes)
                    if (c.value == value) return c.symbol;
            return r.defaultSymbol;
        case host::RendererKind::ClassBreaks: {
            // Class values are stored with a decimal point whatever the locale.
            const char* end = nullptr;
            const double v = text::ParseDoubleA(value.c_str(), &end);
            if (end == value.c_str()) return nullptr;
            for (const auto& b : r.breaks)
                if (v <= b.value) return v >= r.minimum ? b.symbol : nullptr;
            return nullptr;
        }
        case host::RendererKind::Other:
            break;
    }
    return nullptr;
}

std::string RendererField(const host::DLayer& l) {
    if (!l.renderer) return {};
    if (l.renderer->kind == host::RendererKind::UniqueValue && !l.renderer->fields.empty())
        return l.renderer->fields[0];
    if (l.renderer->kind == host::RendererKind::ClassBreaks) return l.renderer->field;
    return {};
}

}  // namespace

Preview::Preview(host::HostSession& session, QWidget* parent)
    : QWidget(parent), m_session(session) {
    setMinimumSize(320, 240);
    setAutoFillBackground(true);
}

Preview::~Preview() = default;

void Preview::Reload() {
    m_cache.clear();
    update();
}

// The visible extent widened to the window's shape, so that the map keeps
// its proportions.
host::HostEnvelope Preview::Extent() const {
    const host::DMap& m = m_session.FocusMap();
    host::HostEnvelope e = m.view ? *m.view : host::HostEnvelope{0, 0, 1, 1};
    const double w = e.xmax - e.xmin, h = e.ymax - e.ymin;
    if (!(w > 0 && h > 0) || width() <= 0 || height() <= 0) return e;
    const double aspect = static_cast<double>(width()) / height();
    if (w / h < aspect) {
        const double grow = (h * aspect - w) / 2;
        e.xmin -= grow;
        e.xmax += grow;
    } else {
        const double grow = (w / aspect - h) / 2;
        e.ymin -= grow;
        e.ymax += grow;
    }
    return e;
}

void Preview::SetExtent(const host::HostEnvelope& e) {
    m_session.FocusMap().view = e;
    m_session.SetModified();
    update();
}

const PreviewShapes* Preview::Shapes(const host::DLayer& layer) {
    if (!layer.data || layer.data->kind != host::WorkspaceKind::Shapefile) return nullptr;
    const std::string path = m_session.Resolve(layer.data->workspace) + "/" + layer.data->dataset;
    const std::string key = path + "|" + RendererField(layer);
    if (auto it = m_cache.find(key); it != m_cache.end()) return it->second.get();
    auto shapes = std::make_unique<PreviewShapes>();
    const WString device = fs::DevicePathFromHost(path + ".shp");
    ShpHandle h = device.empty() ? nullptr : ShpOpen(device.c_str(), 0);
    if (h) {
        // The layer's own system, when it has one and it differs from the map's.
        std::unique_ptr<CCoordSys> from, to;
        CWktCoordSys a, b;
        const host::DMap& map = m_session.FocusMap();
        if (a.ReadPrjFile(fs::DevicePathFromHost(path + ".prj")) && map.coordSys) {
            bool mapParsed =
                !map.coordSys->prj.empty()
                    ? b.ReadPrjFile(fs::DevicePathFromHost(m_session.Resolve(map.coordSys->prj)))
                    : b.ParseWkt(text::FromUtf8(map.coordSys->wkt));
            from = a.CreateProjection();
            to = mapParsed ? b.CreateProjection() : nullptr;
            if (from && to && from->IsEqual(to.get())) from.reset();
        }
        DbfHandle table = ShpGetTable(h);
        const std::string field = RendererField(layer);
        const int fieldIndex = table && !field.empty() ? DbfFindField(table, field.c_str()) : -1;
        shapes->type = ShpGetShapeType(h);
        const int n = ShpGetRecordCount(h);
        for (int i = 0; i < n; ++i) {
            std::vector<std::vector<QPointF>> parts;
            ShapeRecord* r = ShpIsRecordDeleted(h, i) ? nullptr : ShpReadShape(h, i);
            if (r) {
                const int points = ShpGetPointCount(r);
                const int partCount = std::max(1, ShapeGetPartCount(r));
                const uint8_t* xy = ShapeGetPoints(r);
                int at = 0;
                for (int p = 0; p < partCount && xy; ++p) {
                    const int count =
                        ShapeGetPartCount(r) > 0 ? ShapeGetPartPointCount(r, p) : points;
                    std::vector<QPointF> part;
                    for (int k = 0; k < count && at < points; ++k, ++at) {
                        double x = ShapeLoadDouble(xy + 16 * at),
                               y = ShapeLoadDouble(xy + 16 * at + 8);
                        if (from) from->ConvertTo(x, y, to.get(), &x, &y);
                        part.emplace_back(x, y);
                    }
                    parts.push_back(std::move(part));
                }
            }
            shapes->records.push_back(std::move(parts));
            std::string value;
            if (fieldIndex >= 0 && DbfReadRecord(table, i) == 1) {
                const uint8_t* row = DbfGetRecordBuffer(table);
                value.assign(
                    reinterpret_cast<const char*>(row + DbfGetFieldOffset(table, fieldIndex)),
                    static_cast<size_t>(DbfGetFieldLength(table, fieldIndex)));
                const size_t first = value.find_first_not_of(' ');
                value = first == std::string::npos
                            ? ""
                            : value.substr(first, value.find_last_not_of(' ') - first + 1);
            }
            shapes->values.push_back(value);
        }
        ShpClose(h);
    }
    return m_cache.emplace(key, std::move(shapes)).first->second.get();
}

void Preview::DrawFeatureLayer(QPainter& p, const host::DLayer& layer,
                               const host::HostEnvelope& e) {
    const PreviewShapes* s = Shapes(layer);
    if (!s) return;
    const double sx = width() / (e.xmax - e.xmin), sy = height() / (e.ymax - e.ymin);
    auto toScreen = [&](const QPointF& m) {
        return QPointF((m.x() - e.xmin) * sx, (e.ymax - m.y()) * sy);
    };
    const int base = s->type % 10;
    for (size_t i = 0; i < s->records.size(); ++i) {
        const host::DSymbolPtr sym = layer.renderer ? SymbolFor(*layer.renderer, s->values[i])
                                                    : std::make_shared<host::DSymbol>();
        if (!sym) continue;
        const host::DSymbol* outline = sym->outline ? sym->outline.get() : nullptr;
        p.setPen(outline ? QPen(Colour(outline->color), std::max(1.0, outline->width))
                         : QPen(Colour(sym->color), std::max(1.0, sym->width)));
        if (base == 5) {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const auto& part : s->records[i]) {
                if (part.empty()) continue;
                path.moveTo(toScreen(part[0]));
                for (size_t k = 1; k < part.size(); ++k) path.lineTo(toScreen(part[k]));
                path.closeSubpath();
            }
            const bool hollow = sym->kind == host::SymbolKind::SimpleFill && sym->style == "hollow";
            p.setBrush(hollow ? Qt::NoBrush : QBrush(Colour(sym->color)));
            p.drawPath(path);
        } else if (base == 3) {
            for (const auto& part : s->records[i]) {
                QPolygonF line;
                for (const auto& pt : part) line << toScreen(pt);
                p.drawPolyline(line);
            }
        } else {
            p.setBrush(QBrush(Colour(sym->color)));
            const double r = std::max(2.0, sym->size / 2);
            for (const auto& part : s->records[i])
                for (const auto& pt : part) p.drawEllipse(toScreen(pt), r, r);
        }
    }
}

void Preview::DrawRasterLayer(QPainter& p, const host::DLayer& layer, const host::HostEnvelope& e) {
    const std::string path = m_session.Resolve(layer.file);
    GDALAllRegister();
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (!ds) return;
    double gt[6];
    const int w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
    const int bands = GDALGetRasterCount(ds);
    if (GDALGetGeoTransform(ds, gt) == CE_None && w > 0 && h > 0 && bands > 0) {
        // Read at most the preview's size, then place the picture by its corners.
        const int ow = std::min(w, std::max(1, width())), oh = std::min(h, std::max(1, height()));
        QImage img(ow, oh, QImage::Format_RGB32);
        std::vector<uint8_t> plane(static_cast<size_t>(ow) * oh);
        for (int b = 0; b < std::min(bands, 3); ++b) {
            if (GDALRasterIO(GDALGetRasterBand(ds, b + 1), GF_Read, 0, 0, w, h, plane.data(), ow,
                             oh, GDT_Byte, 0, 0) != CE_None)
                break;
            for (int y = 0; y < oh; ++y) {
                auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < ow; ++x) {
                    const uint8_t v = plane[static_cast<size_t>(y) * ow + x];
                    QRgb c = b == 0 ? qRgb(v, v, v) : line[x];
                    if (b == 1) c = qRgb(qRed(c), v, v);
                    if (b == 2) c = qRgb(qRed(c), qGreen(c), v);
                    line[x] = c;
                }
            }
        }
        const double sx = width() / (e.xmax - e.xmin), sy = height() / (e.ymax - e.ymin);
        const QPointF tl((gt[0] - e.xmin) * sx, (e.ymax - gt[3]) * sy);
        const QPointF br((gt[0] + gt[1] * w - e.xmin) * sx, (e.ymax - (gt[3] + gt[5] * h)) * sy);
        p.drawImage(QRectF(tl, br), img);
    }
    GDALClose(ds);
}

void Preview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const host::HostEnvelope e = Extent();
    if (!(e.xmax > e.xmin && e.ymax > e.ymin)) return;
    p.setRenderHint(QPainter::Antialiasing);
    std::function<void(const std::vector<host::DLayerPtr>&)> draw =
        [&](const std::vector<host::DLayerPtr>& layers) {
            // The first layer of the list is on top: draw from the last.
            for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
                const host::DLayer& l = **it;
                if (!l.visible) continue;
                if (l.kind == host::DLayerKind::Group)
                    draw(l.children);
                else if (l.kind == host::DLayerKind::Feature)
                    DrawFeatureLayer(p, l, e);
                else if (l.kind == host::DLayerKind::Raster)
                    DrawRasterLayer(p, l, e);
            }
        };
    draw(m_session.FocusMap().layers);
}

void Preview::mousePressEvent(QMouseEvent* ev) {
    m_dragFrom = ev->pos();
    m_dragging = ev->button() == Qt::LeftButton;
}

void Preview::mouseMoveEvent(QMouseEvent*) {}

int Preview::SelectInRectangle(const std::string& name, const host::HostEnvelope& r) {
    std::function<host::DLayerPtr(const std::vector<host::DLayerPtr>&)> find =
        [&](const std::vector<host::DLayerPtr>& layers) -> host::DLayerPtr {
        for (const auto& l : layers) {
            if (l->name == name) return l;
            if (auto c = find(l->children)) return c;
        }
        return nullptr;
    };
    auto layer = find(m_session.FocusMap().layers);
    const PreviewShapes* s = layer && layer->kind == host::DLayerKind::Feature ? Shapes(*layer) : nullptr;
    if (!s || s->records.empty()) return -1;
    std::vector<int> selected;
    for (size_t i = 0; i < s->records.size(); ++i) {
        // A record meets the rectangle when its box does (a viewer's test).
        double xmin = INFINITY, ymin = INFINITY, xmax = -INFINITY, ymax = -INFINITY;
        for (const auto& part : s->records[i])
            for (const auto& pt : part) {
                xmin = std::min(xmin, pt.x());
                ymin = std::min(ymin, pt.y());
                xmax = std::max(xmax, pt.x());
                ymax = std::max(ymax, pt.y());
            }
        if (xmin <= r.xmax && xmax >= r.xmin && ymin <= r.ymax && ymax >= r.ymin) selected.push_back(static_cast<int>(i));
    }
    layer->selection = selected;
    m_session.SetModified();
    update();
    return static_cast<int>(selected.size());
}

void Preview::mouseReleaseEvent(QMouseEvent* ev) {
    if (!m_dragging) return;
    m_dragging = false;
    const QPoint d = ev->pos() - m_dragFrom;
    if (d.isNull()) return;
    host::HostEnvelope e = Extent();
    if (ev->modifiers() & Qt::ShiftModifier) {
        auto toMap = [&](const QPoint& p) {
            return QPointF(e.xmin + p.x() * (e.xmax - e.xmin) / width(), e.ymax - p.y() * (e.ymax - e.ymin) / height());
        };
        const QPointF a = toMap(m_dragFrom), b = toMap(ev->pos());
        SelectInRectangle(m_session.FocusMap().selected,
                          {std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()), std::max(a.y(), b.y())});
        return;
    }
    const double dx = d.x() * (e.xmax - e.xmin) / width(),
                 dy = d.y() * (e.ymax - e.ymin) / height();
    SetExtent({e.xmin - dx, e.ymin + dy, e.xmax - dx, e.ymax + dy});
}

void Preview::wheelEvent(QWheelEvent* ev) {
    const double f = ev->angleDelta().y() > 0 ? 0.8 : 1.25;
    host::HostEnvelope e = Extent();
    const double cx = (e.xmin + e.xmax) / 2, cy = (e.ymin + e.ymax) / 2;
    const double hw = (e.xmax - e.xmin) / 2 * f, hh = (e.ymax - e.ymin) / 2 * f;
    SetExtent({cx - hw, cy - hh, cx + hw, cy + hh});
}

}  // namespace pellum
