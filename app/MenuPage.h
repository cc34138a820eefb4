#pragma once

#include <vector>

class CMenuItem;

// Keyboard navigation handed to OnInput; the window procedure sends them for
// Left, Right, Up, Down, Enter and Escape. Other codes do nothing.
enum MenuCode : int {
    kMenuValueDown = 0,
    kMenuValueUp = 1,
    kMenuPrevious = 2,
    kMenuNext = 3,
    kMenuActivate = 4,
    kMenuBack = 5,
};

// One page of the menus: its items in construction order, one of them selected.
class CMenuPage {
public:
    // Appends itself to the menu manager's pages.
    explicit CMenuPage(CMenuPage* parent);
    virtual ~CMenuPage();

    virtual void Update();
    virtual void Render();
    virtual void AddItem(CMenuItem* item);
    // Null clears the selection (with the move sound).
    virtual bool Select(CMenuItem* item);
    virtual void OnShow();
    virtual void GoBack();
    // A MenuCode.
    virtual void OnInput(int code);
    virtual void OnMouseMove(float x, float y);
    virtual void OnMouseClick(float x, float y);
    virtual bool SelectNext();
    virtual bool SelectPrevious();
    // Position in the item list, or -1.
    virtual int FindItem(CMenuItem* item);

    // The fade of item i of n at the current menu state.
    static float ItemAlpha(int i, int n);

    CMenuPage(const CMenuPage&) = delete;
    CMenuPage& operator=(const CMenuPage&) = delete;

    CMenuItem* m_selected = nullptr;
    std::vector<CMenuItem*> m_items;
    CMenuPage* m_parent;
};
