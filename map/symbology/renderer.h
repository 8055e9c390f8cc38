// Which symbol draws each feature of a layer: one symbol for all (simple
// renderer) or a value map of classes keyed by exact values or value ranges,
// class 0 taking everything else; with the rotation and hyperlink fields the
// layer file names.
#pragma once

#include <memory>
#include <unordered_map>

#include "map/symbology/symbol.h"

class CRenderer {
public:
    CRenderer() = default;
    virtual ~CRenderer();
    CRenderer(const CRenderer&) = delete;
    CRenderer& operator=(const CRenderer&) = delete;

    // From the SYMBOLOGY child of the layer element (and its HYPERLINK).
    bool ReadXml(const CXmlNode* layer);
    // A layer file by itself: the first LAYER element of its tree. A file
    // that does not parse or whose root is not Zarnip shows an error box.
    bool ReadLayerFile(const WString& path);
    // The renderer element alone: SIMPLERENDERER (with `visible`, as map
    // documents carry it, when given) or VALUEMAPRENDERER. False without classes.
    bool WriteXml(CConfigXmlFile& out, const bool* visible = nullptr) const;

    CSymbol* FindClass(double number) const;
    CSymbol* FindClass(WStringView text) const;
    int FindClassIndex(WStringView text) const;
    void SetReferenceScale(double scale);
    void ResetDrawCounts();

    int GetClassCount() const { return m_classCount; }
    CSymbol* GetClass(int index) const {
        return index >= 0 && index < m_classCount ? &m_classes[index] : nullptr;
    }
    bool IsValueMap() const { return m_valueMap; }

    int m_classCount = 0;
    std::unordered_map<WString, int> m_exactMap;
    std::unique_ptr<CSymbol[]> m_classes;
    WString m_lookupField;
    WString m_rotationField;
    int m_rotationType = 2;
    WString m_hyperlinkField;

private:
    void MakeClasses(int count);
    bool m_valueMap = false;
};

// 1 "counterclockwise", 2 "geographic" or "clockwise" (also anything
// else), 3 "arithmetic".
int RotationTypeFromName(WStringView name);
