#pragma once
// What one output made with values in place of links could not turn into values and left out,
// by kind: the engines count it per output, a split run sums it for its summary.
namespace bf::book {

struct ValuesDrops {
    int names = 0;              // defined names reading another sheet, not one cell
    int validations = 0;        // validation rules whose list or limits could not be made values
    int conditionalFormats = 0; // conditional format rules likewise
    int chartSeries = 0;        // chart series (or their names) without cached values
    int references = 0;         // references to other sheets kept as #REF! (in a rule, a title, ...)

    bool any() const { return names || validations || conditionalFormats || chartSeries || references; }
    ValuesDrops& operator+=(const ValuesDrops& o)
    {
        names += o.names;
        validations += o.validations;
        conditionalFormats += o.conditionalFormats;
        chartSeries += o.chartSeries;
        references += o.references;
        return *this;
    }
};

} // namespace bf::book
