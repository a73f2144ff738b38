#pragma once

#include <QString>

/// Rules of the properties dialog that need no window.
namespace Properties {

/// The option an option group shows for a stored value: the option whose index
/// is the value, or defaultOption when no option of the group stands for it
/// (a FIELD of 9 written by hand, say).
int ShownOption(int stored, int optionCount, int defaultOption);

/// A caption laid out as two lines: the run of blanks that pushes its second part
/// onto the next line becomes that line break. A caption without such a run
/// (two blanks or more) is returned as it is.
QString TwoLineCaption(const QString &caption);

/// Why name cannot be the variable of the generated code (HENNAME), as the
/// message to the user, or an empty string when it can. Visual Basic and PL/SQL
/// alike compile a name of ASCII letters, digits and '_' that begins with a letter.
QString VariableNameProblem(const QString &name);

} // namespace Properties
