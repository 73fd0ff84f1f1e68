#pragma once

// What the settings pages share in their caption tables.

// One caption pair: the stored value's name and its default text (UTF-8). Where it is shown is
// fixed by its index in the page's code.
struct CaptionPair
{
    const char *Ident;
    const char *Default;
};
