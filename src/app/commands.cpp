#include "app/commands.h"

#include "common/common.h"

namespace SQLEdit {

Command ToolbarCommand(int button)
{
    switch (button) {
    case 1:
        return {Command::File, 0};
    case 2:
        return {Command::File, 1};
    case 4:
        return {Command::Settings, 0};
    case 5:
        return {Command::File, 3};
    case 6:
        return {Command::File, 4};
    case 8:
        return {Command::Edit, 0};
    case 9:
        return {Command::Edit, 1};
    case 10:
        return {Command::Edit, 2};
    case 11:
        return {Command::Edit, 3};
    case 13:
        return {Command::Edit, 5};
    case 14:
        return {Command::CodeWindow, 0};
    case 16:
        return {Command::Settings, 1};
    case 18:
        return {Command::Help, 1};
    default:
        return {};
    }
}

bool SaveEnabled(const QString &text)
{
    return !Common::TrimSpaces(text).isEmpty();
}

bool ConvertEnabled(const QString &text)
{
    const QString trimmed = Common::TrimSpaces(text);
    return !trimmed.isEmpty() && !Common::IsBlankText(trimmed);
}

EditButtonStates
EditButtonRule(bool editorActive, bool hasSelection, const QString &text, const QString &clipboard)
{
    EditButtonStates states;
    states.copyCutDelete = editorActive && hasSelection;
    states.paste = editorActive && !clipboard.isEmpty();
    states.convert = editorActive && ConvertEnabled(text);
    return states;
}

EditMenuStates EditMenuRule(const QString &activeControl,
                            qsizetype selectionLength,
                            const QString &text,
                            const QString &clipboard)
{
    EditMenuStates states;
    const QString kind = activeControl.left(3);
    if (kind == QLatin1String("txt")) {
        const bool selected = selectionLength != 0;
        states[0] = states[1] = states[3] = selected;
        states[2] = !clipboard.isEmpty();
        states[5] = ConvertEnabled(text);
    } else if (kind == QLatin1String("lvw")) {
        states[0] = states[1] = states[2] = false;
    }
    return states;
}

} // namespace SQLEdit
