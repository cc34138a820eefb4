#pragma once

class CMenuItem;

// A value attached to a menu item and changed with Left/Right, Enter or the
// mouse. The constructor attaches it to the item, which then owns it.
class CMenuValue {
public:
    explicit CMenuValue(CMenuItem* owner);
    virtual ~CMenuValue() {}

    virtual bool HitTest(float, float) { return false; }
    virtual void OnClick(float, float) {}
    virtual void SetOwner(CMenuItem* owner) { m_owner = owner; }
    virtual void Change(bool) {}
    virtual bool IsSelected();
    virtual void Update() {}
    virtual void Render(float) {}

    CMenuValue(const CMenuValue&) = delete;
    CMenuValue& operator=(const CMenuValue&) = delete;

    CMenuItem* m_owner;
};
